/* Counts the same values through Tally's static library and its plugin, and
 * exits non-zero unless both give the right count. */
#include <stdio.h>

#include <tally.h>

int main(void) {
    static const int32_t values[] = {5, 3, 0, 5, 9, 3, 3, 12, 0, 9, 1};
    const uint32_t count = sizeof values / sizeof values[0];
    int32_t fromLibrary = TallyDistinct(values, count);
    int32_t fromPlugin = TallyPluginDistinct(values, count);
    int ok = fromLibrary == 5 && fromPlugin == 5;
    printf("Tally user: %d and %d distinct: %s\n", (int)fromLibrary, (int)fromPlugin,
           ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
