#pragma once

#include <string>
#include <string_view>

namespace tw::test {

// Runs one input through everything that reads a settings file and checks what must hold for
// any bytes at all, taken as the whole of config.ini:
// - the INI reader gives for every probed key what a plain line-by-line reading gives (the
//   probes are the six settings keys and keys found in the input itself);
// - writing a key changes that key only: every other probed key reads as before;
// - readCaptureOptions puts every readable value into the options (the 19 event kinds, the three
//   options, the path lines, the extensions without blanks or duplicates), and a save followed
//   by a read gives the same options again;
// - Base64 decoding of the bytes never fails, and encoding then decoding gives them back.
// Returns an empty text when all holds, else what broke. Used by the libFuzzer target and by a
// test that replays the kept corpus.
std::string checkSettingsInput(std::string_view bytes);

}  // namespace tw::test
