// The command-line tail: the process command line less the program's name.
#pragma once

// Returns the part of commandLine that follows the program's own name and
// the bytes 0x01 to 0x20 after it. The result points into commandLine and is
// never null; it is empty when nothing follows the name.
const char* CommandLineTail(const char* commandLine);
