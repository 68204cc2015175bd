/* Does nothing and exits 0: whether it runs tells whether this machine can run
 * programs built for the configured target. */
int main(void) {
    return 0;
}
