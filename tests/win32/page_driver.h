// What the page's own tests do to the stand-in page (page.js) beyond the
// shared driver (host_driver.h).
#pragma once

// Hands the page's key listeners a DOM key event with that KeyboardEvent.code;
// true if they kept it from the browser (preventDefault).
bool page_key(const char* code, bool down, bool alt = false, bool repeat = false);
