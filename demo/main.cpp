// The demonstration's entry: it takes no command line and reads nothing but
// the final key press.

#include "demo.h"

int main() {
    return RunScenario();
}
