// Targets.h -- one entry point per data-file parser, taking the raw bytes
// of a file. The fuzzers call them with generated input; the test suite
// replays every input that once broke one of them. Each returns normally
// for any input: what the game reports as a bad file (a conversion or data
// error) is caught here, and anything else (a crash, an unexpected
// exception, a broken round trip, which aborts) is a finding.
#pragma once

#include <string_view>

// A stage file as stored: deciphered, every value read and checked, and the
// INI text round-tripped.
void FuzzStageFile(std::string_view bytes);
// A model file (.ship, .part).
void FuzzModelFile(std::string_view bytes);
// A boss file: its model, fire points, time lists and loops.
void FuzzBossFile(std::string_view bytes);
// The menu text file and its page tree.
void FuzzMenuText(std::string_view bytes);
// settings.ini: the keys the game reads, and changed keys read back.
void FuzzSettings(std::string_view bytes);
// A replay file, as given and with its checksum made right so that
// mutations reach the parser; what parses must write back to the same
// bytes.
void FuzzReplayFile(std::string_view bytes);
// Numbers and value lists: the first byte picks the parser, the rest is the
// text; a real that converts must survive writing and reading again.
void FuzzValueLists(std::string_view bytes);
// What the leaderboard server reads from its verifier and its clients
// (server/Protocol.h): the first byte picks the parser, the rest is the
// text; what parses must print back to the same text, what is cleaned for
// output must be valid UTF-8 within its bound. Built with the server only.
void FuzzServerInput(std::string_view bytes);
