// Built into the game and its tests under AddressSanitizer only.

// Fontconfig keeps its fonts and patterns for the whole process behind
// pointers stored as offsets, which the leak checker cannot follow: what it
// holds is not reported as lost.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
