// The outcome that the network file and activation file readers return.
#pragma once

enum load_result {
    LOAD_OK,      // the whole file was read
    LOAD_MISSING, // no such file
    LOAD_FAILED,  // the file could not be opened or is malformed; the message is printed
};
