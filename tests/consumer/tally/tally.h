/* tally.h - the test library Tally: counts of distinct values, one from the
 * static library and one from the plugin. */
#ifndef TALLY_H
#define TALLY_H

#include <stdint.h>

/* Returns how many distinct values values[0..count) holds (0 is not a value
 * and is skipped), or -1 when memory runs out. */
int32_t TallyDistinct(const int32_t *values, uint32_t count);

/* The same count, from tally_plugin, the shared object. */
int32_t TallyPluginDistinct(const int32_t *values, uint32_t count);

#endif /* TALLY_H */
