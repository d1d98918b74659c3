/* Linked into every program of the sanitize build (cmake/compiler.cmake).
 *
 * SDL opens the OpenGL libraries with dlopen and closes them when its last
 * window goes, and Mesa's EGL library closes its DRI driver in turn. A closed
 * library takes its globals with it; whatever they pointed to is still
 * allocated, and LeakSanitizer, which runs at exit, reports it as leaked from
 * "<unknown module>": every test that opened a device showed 255 strdup'ed
 * strings and a 1608-byte block, gone when Mesa's libraries were kept loaded
 * by hand. With the library still there, the same memory is reachable from
 * its globals and nothing is reported; a real leak in it would then carry the
 * library's name, for scripts/sanitizers/lsan.supp.
 *
 * So in these programs closing a library keeps it loaded. The executable's
 * definition comes first in symbol lookup, ahead of the C library's, for
 * every library that calls dlclose, including those loaded later. */
int dlclose(void* handle);

int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
