// Sanitizer settings compiled into every test, so that they hold however a test is started
// (ctest, a debugger, by hand) instead of depending on the environment reaching it.
// LeakSanitizer ignores the system libraries listed in lsan.supp, nothing of ours.

// The runtimes look these up dynamically: they stay visible whatever the default visibility.
#define LMVO_SANITIZER_HOOK __attribute__((visibility("default")))

extern "C" {

LMVO_SANITIZER_HOOK const char* __asan_default_options() { return "detect_leaks=1"; }

LMVO_SANITIZER_HOOK const char* __lsan_default_options() { return "suppressions=" LMVO_LSAN_SUPPRESSIONS ":print_suppressions=0"; }

LMVO_SANITIZER_HOOK const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

} // extern "C"
