#pragma once

// Connects the standard streams of a program that the system started without a console (a
// Windows program of the window subsystem, started from a command prompt) to the console of the
// command that started it, so that the command-line verbs print where they were typed. Streams
// already redirected to a file or a pipe are kept. Nothing to do on POSIX systems.
void UseParentConsole();
