// tidefill-study merge: the parts of one study put together, reported as one run over their
// union would have reported it.
#pragma once

// The whole subcommand, from the words after "merge"; the exit status.
int runMerge(int argc, const char* const* argv);
