// Linked into every test program. fontconfig keeps the configuration pango loads for the life of
// the process and never frees it: not a leak of ours, and any test that measures text meets it.
// tests/lsan.supp names the same caches for the CI's runs.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
