#pragma once

// The zorvi program's command line: builds the definitions the words need and runs the command
// they name. Kept apart from main so that main compiles without the command-line library.

int runZorvi(int argc, char** argv);
