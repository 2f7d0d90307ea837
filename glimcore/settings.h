// The settings that several programs of the suite share, each defined once so
// that the programs, their help texts and the tests cannot drift apart. A
// setting that a help text quotes is also a macro, so that the text is built
// from it at compile time ("default " GLIM_TEXT(GLIM_CYCLES_DEFAULT)).
#pragma once

#define GLIM_TEXT(value) GLIM_TEXT_OF(value)
#define GLIM_TEXT_OF(value) #value

// The one picture that glimcut, glimsee and glimview take and glimprep
// makes: binary PPM, RGB, maximum 255.
#define GLIM_PICTURE_WIDTH 80
#define GLIM_PICTURE_HEIGHT 60
#define GLIM_PICTURE_SIZE GLIM_TEXT(GLIM_PICTURE_WIDTH) " x " GLIM_TEXT(GLIM_PICTURE_HEIGHT)
constexpr int PICTURE_WIDTH = GLIM_PICTURE_WIDTH;
constexpr int PICTURE_HEIGHT = GLIM_PICTURE_HEIGHT;
constexpr int PICTURE_RASTER_BYTES = PICTURE_WIDTH * PICTURE_HEIGHT * 3; // RGB, row by row

// The network file that programs read, and glimlearn writes, when none is named.
#define GLIM_NETWORK_DEFAULT "glimnet.net"
constexpr const char *NETWORK_DEFAULT = GLIM_NETWORK_DEFAULT;

// The sweeps recall may take before a program stops waiting for a pattern to
// settle: every program that recognises or shows recall uses the same bound.
constexpr int RECALL_LIMIT = 500;

// The times glimlearn teaches each pattern when no count is given; glimview
// capacity teaches its pattern sets as often.
#define GLIM_CYCLES_DEFAULT 50
constexpr int CYCLES_DEFAULT = GLIM_CYCLES_DEFAULT;

// The default masks of the pattern files glimcut writes and glimlearn reads,
// and of the result files glimsee writes.
#define GLIM_PATTERN_MASK "se-%d.act"
#define GLIM_RESULT_MASK "ca-%d.act"
