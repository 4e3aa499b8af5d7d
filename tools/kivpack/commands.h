// The kivpack subcommands. Each takes the arguments after its own name and
// gives the exit status; failures are thrown as kivpack::Failure.
#ifndef KIV_TOOLS_KIVPACK_COMMANDS_H
#define KIV_TOOLS_KIVPACK_COMMANDS_H

namespace kivpack {

int RunCompress(int argc, char** argv);
int RunExpand(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunList(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunVerify(int argc, char** argv);

}  // namespace kivpack

#endif
