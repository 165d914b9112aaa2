#pragma once

#include <istream>
#include <ostream>

// The whole console dialogue over the given streams: the language choice, then passes until the
// user leaves or the input ends.
void run_dialogue(std::istream& in, std::ostream& out);
