// The command line a secondary program is started with.
#ifndef KIV_BOOTSTRAP_SECONDARY_COMMAND_LINE_H
#define KIV_BOOTSTRAP_SECONDARY_COMMAND_LINE_H

// Gives a newly allocated line "<setupPath> <bootstrapPath> <tail>": the
// three values joined by single blanks, the tail copied byte for byte (a
// percent sign in it is just a character), so an empty tail leaves the line
// ending in a blank. A path that holds a blank (the volume gave no short
// form) is put in double quotes, so the line still splits into the two paths
// and the tail; a path without blanks is copied as it is. The line is as long
// as it needs to be. Gives null when memory runs out; the caller frees the
// line with std::free.
char* BuildSecondaryCommandLine(const char* setupPath, const char* bootstrapPath, const char* tail);

#endif
