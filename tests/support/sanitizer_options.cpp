// Default options of the sanitized test programs, so ctest and a direct run behave alike.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=1";
}
extern "C" const char* __lsan_default_options() {
    return "suppressions=" QUILLON_LSAN_SUPP;
}
