// Sanitizer defaults for the effect tests: leak checking without tracking dynamic TLS.
//
// Allegro dlopens its sound driver modules; with this executable's layout LeakSanitizer's exit-time
// scan reads a stale dynamic-TLS record they leave and crashes before reporting anything. Leak
// checking stays on; options given in ASAN_OPTIONS still take precedence.
#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((used, visibility("default"))) const char *__asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
#endif
