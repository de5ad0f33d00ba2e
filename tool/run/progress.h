// Progress of the record scan on standard error, for a person watching a
// terminal: a percentage of the input's bytes, shown once the scan has run
// for a second, a few times a second, and erased before the summary. Nothing
// is written when standard error is not a terminal.
#ifndef PROGRESS_H
#define PROGRESS_H

#include <stdint.h>

// The scan covers the input's bytes from `first` to `total`.
void progress_start(uint64_t first, uint64_t total);

// The scan has read up to byte `done`.
void progress_update(uint64_t done);

// Erases what was shown, if anything.
void progress_erase(void);

#endif
