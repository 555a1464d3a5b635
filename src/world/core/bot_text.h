// What a bot may show players: its public lines, whispers and the names and
// descriptions of the objects it changes reach every kind of player
// connection, and a line player reads them as lines. A bot's text with a line
// break in it could start a line of its own that looks like the world's
// ("* Kaya whispers: ..."), so every control character (C0, DEL and the C1
// block, CR and LF among them) becomes a space before the text goes anywhere.
#pragma once

#include <string>
#include <string_view>

namespace kelva::world {

// `text` with each control character replaced by one space; anything else,
// including text that is not UTF-8, is left as it is.
std::string playerVisibleBotText(std::string_view text);

}  // namespace kelva::world
