// A question with one line to type, in the dialog look.
#pragma once

// Shows the question over an empty field; 1 when Return (or OK) ended it,
// with what was typed in text, 0 for Esc or Cancel.
int ask_text(const char *question, char *text, int size);
// The same over a field that holds text already (to be changed).
int ask_text_again(const char *question, char *text, int size);
