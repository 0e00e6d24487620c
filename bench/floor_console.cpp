// The floor for the console program's start-up: a console program that does
// nothing, linked the way hostwend-cli.exe is.
int wmain() { return 0; }
