// Must not compile: the default equality would compare padding bytes, so a
// type with padding needs an Equal of its own. The test
// bytewise_equality_refuses_padding builds this and looks for the message.
#include <cstdint>

#include <slot_list/slot_list.hpp>

struct Padded {
    char Tag;
    int32_t Value;
};

int main() {
    return slot_list::List<Padded>::create(4) ? 0 : 1;
}
