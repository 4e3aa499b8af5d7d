// The bootstrapper's own command line: where its tail begins.
#ifndef KIV_BOOTSTRAP_COMMAND_LINE_H
#define KIV_BOOTSTRAP_COMMAND_LINE_H

// Gives the tail of the raw command line `line`: what follows the program
// name and the characters with codes 1 to 32 behind it. A name in double
// quotes runs to the closing quote (or to the end of the line when there is
// none), taking the second byte of a double-byte character along so that a
// quote there does not end it; an unquoted name runs to the first character
// with a code of 32 or below. The tail points into `line`; it is neither
// copied nor trimmed, so blanks, quotes and percent signs inside it and at its
// end remain. Never reads past the terminating zero.
const char* SkipProgramName(const char* line);

#endif
