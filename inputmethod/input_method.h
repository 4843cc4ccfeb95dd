/* The exported input-method interface: a queue of input-method events that the window's input
 * method fills and the frame (or any module loaded into the process) reads. Errors are reported
 * through SDL_SetError. */
#ifndef AQSOL_INPUTMETHOD_INPUT_METHOD_H
#define AQSOL_INPUTMETHOD_INPUT_METHOD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define INPUT_METHOD_EXPORT __attribute__((visibility("default")))

/* Messages of queued events. */
enum {
  INPUT_METHOD_MESSAGE_ON = 0,     /* the input method was switched on */
  INPUT_METHOD_MESSAGE_CHANGE = 1, /* the composition changed: text is the editing string */
  INPUT_METHOD_MESSAGE_RESULT = 2, /* text is the finished string */
  INPUT_METHOD_MESSAGE_OFF = 3     /* the input method was switched off */
};

/* A back end's description ("bootstrap"): its operations first, then room for its own data; 540
 * bytes in all. available() returns non-zero when the back end can work here; init() returns 0
 * on success or an error code; validate() and invalidate() return 0 on success. */
typedef struct InputMethod_Bootstrap {
  int (*available)(void);
  int (*init)(void);
  void (*quit)(void);
  void (*reset)(void);
  int (*validate)(void);
  int (*invalidate)(void);
  const char* (*name)(void);
  unsigned char data[540 - 7 * sizeof(void*)];
} InputMethod_Bootstrap;

/* Picks the back end that is available (the X Input Method when a server answers, else the plain
 * one), turns on SDL's Unicode translation, initialises the back end and empties the queue.
 * 0 on success, else the back end's error code (its quit has been called). */
INPUT_METHOD_EXPORT int InputMethod_Init(void);
/* As InputMethod_Init with a copy of `bootstrap`: 1 "Input method is already inited", 11
 * "Bootstrap is invalid" (its available() fails), 2 "Allocate memory failed". */
INPUT_METHOD_EXPORT int InputMethod_InitFromOther(const InputMethod_Bootstrap* bootstrap);
/* Quits the back end, frees the queue and restores SDL's Unicode setting. */
INPUT_METHOD_EXPORT void InputMethod_Quit(void);
/* Frees the queue and resets the back end. */
INPUT_METHOD_EXPORT void InputMethod_Reset(void);
/* Enables or disables the input method; -1 with "Input method is no init" before Init. */
INPUT_METHOD_EXPORT int InputMethod_Validate(void);
INPUT_METHOD_EXPORT int InputMethod_Invalidate(void);
/* The number of queued events. */
INPUT_METHOD_EXPORT int InputMethod_GetEventNumber(void);
/* Drops the oldest event; returns the new count. */
INPUT_METHOD_EXPORT int InputMethod_MoveNextEvent(void);
/* The oldest event's message; -1 with "Message is not found" when the queue is empty. */
INPUT_METHOD_EXPORT int InputMethod_GetCurrentMessage(void);
/* The oldest event's zero-terminated UTF-16 text; null when it has none or the queue is empty. */
INPUT_METHOD_EXPORT const uint16_t* InputMethod_GetCurrentEditingString(void);
/* The oldest event's fields; 0 when the queue is empty. */
INPUT_METHOD_EXPORT uint16_t InputMethod_GetCurrentChar(void);
INPUT_METHOD_EXPORT int InputMethod_GetCurrentCursorPosition(void);
INPUT_METHOD_EXPORT int InputMethod_GetCurrentCompositionPosition(void);
INPUT_METHOD_EXPORT int InputMethod_GetCurrentCompositionLength(void);
/* The back end's name; "" before Init. */
INPUT_METHOD_EXPORT const char* InputMethod_GetInputMethodName(void);
/* Appends an event. 0 on success; 3 when a change or result has no text; 4 for an unknown
 * message; 2 when memory runs out. A result keeps only its text; on and off keep nothing. */
INPUT_METHOD_EXPORT int InputMethod_PostEvent(int message, const uint16_t* text, int cursor,
                                              int composition_position, int composition_length);

#ifdef __cplusplus
}
#endif

#endif
