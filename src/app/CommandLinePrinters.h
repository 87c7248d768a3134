// CommandLinePrinters.h -- the options that print something about the
// installed game and end: --scores, --stage-hashes, --path-fingerprint;
// and the language their texts are in.
#pragma once

#include "services/Language.h"

// The language of the command line's own texts (--help, --scores, the usage
// after a wrong option): settings.ini's main/language in the program folder,
// else the one LC_ALL or LANG names.
[[nodiscard]] TLanguage CommandLineLanguage();

// --scores: prints each stage file of the program folder with its title,
// whether it is unlocked and its highscores, one line each. Returns the exit
// code: 0, or kExitInput when the folder or a stage file cannot be read.
int PrintScores();

// --stage-hashes: prints each stage file of the program folder as its name
// without ".level" and the SHA-256 of its rules (StageSha256, the stage's
// identity on the online board), one line each. 0, or kExitInput when the folder or a stage file cannot be read or
// the folder's data/ holds no stage file at all (said on stderr, with how
// the build makes them).
int PrintStageHashes();

// Prints one number for every spline result of the installed stages' paths
// (and whether the x87 or the software type computed them): the same on
// every system. 0, or kExitInput when a stage file cannot be read.
int PrintPathFingerprint();
