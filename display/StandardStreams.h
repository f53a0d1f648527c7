// Standard input, output and error as a program may find them: closed by a
// careless caller (`prog >&-`, a daemon's start-up). The next file the
// program opened would then take the free number, and console lines or a
// child's input would go into it.
#pragma once

// Opens /dev/null onto each of descriptors 0, 1 and 2 that is closed (input
// for 0, output for 1 and 2). Called first thing in main, before any file is
// opened.
void openClosedStandardStreams();
