// Subcommands of mixorama-render. Each gets argv starting at its own name and returns the
// process exit code: 0 done, 1 the engine refused the input (message on stderr), 2 bad usage.
#pragma once

int RunConvert(int argc, char** argv);
int RunMix(int argc, char** argv);
