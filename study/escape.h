// Text from files and the command line on its way into a message: control characters and bytes
// that are not UTF-8 would act on the terminal (clear it, retitle it), so they are shown escaped.
#pragma once

#include <string>
#include <string_view>

// `text` with control characters and invalid UTF-8 as \xHH (\t, \r and \n spelled so); valid
// UTF-8 beyond ASCII is kept.
std::string escapedForTerminal(std::string_view text);
