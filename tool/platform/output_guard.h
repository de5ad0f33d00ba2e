// The output file from its creation until the run completes: it is opened
// here, removed here when it holds no result, and removed by an interrupt
// (SIGINT, SIGTERM, SIGHUP, SIGXFSZ) that arrives while it is incomplete.
#ifndef OUTPUT_GUARD_H
#define OUTPUT_GUARD_H

#include <stdint.h>
#include <stdio.h>

enum class Identity { different, same, input_unknown, output_unknown };

// Whether the input and the output are one file, however the names are
// spelled. Only an output that does not exist yet is known to differ; any
// other failure to examine either file leaves the question open.
Identity file_identity(const char *in, const char *out);

// Installs the interrupt handlers; a signal ignored at start stays ignored.
void install_interrupt_handlers(void);

// Creates (or empties) the output for binary reading and writing and, from
// then on, lets an interrupt remove it. Returns null when it cannot be opened.
FILE *open_guarded_output(const char *filenameout);

// The output is a result (or is kept on purpose): interrupts no longer
// remove it.
void release_output(void);

// Removes the incomplete output: the file that was written, also when the
// name given is a symbolic link to it. A device or pipe is left alone.
// Returns 0, or -1 after saying that the file could not be removed.
int16_t remove_output(const char *filenameout);

#endif
