// The calculator's own console in the browser page: the same dialogue, line input, pictures and
// screen rules as aqsol and aqsol-console, its 80x25 screen read by the page and its keys put
// by the page. The dialogue waits for keys by yielding to the browser (the module is built with
// Asyncify). A C interface, for JavaScript.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Runs the dialogue until it ends; call once, asynchronously (it returns while it waits for
// keys). `muted`: tones are neither played nor waited for.
void aqsol_web_console_run(int muted);

// Puts a key: a character of code page 437, or 0 and the scan code of an extended key.
// False when the key buffer is full.
int aqsol_web_console_key(int character, int scan);

// Row `row` (1 to 25) as UTF-8, trailing blanks removed; the cursor as row * 256 + column (0
// when hidden); whether the dialogue waits for a key with none left to take; whether it has
// ended.
const char* aqsol_web_console_row(int row);

// Draws what changed of the screen, as the window draws it (the program's own glyphs, colours
// and cursor), into 640x400 pixels 0x00RRGGBB at aqsol_web_console_pixels(); 1 when it drew.
// Call it at the window's pace, about 30 times a second: the cursor's flashing counts calls.
int aqsol_web_console_draw(void);
const unsigned* aqsol_web_console_pixels(void);
int aqsol_web_console_cursor(void);
int aqsol_web_console_waiting(void);
int aqsol_web_console_ended(void);

#ifdef __cplusplus
}
#endif
