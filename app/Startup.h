#pragma once

// Creates every form of the program in its order, each hidden, and returns the
// exit code to use at once when another copy is already running (0), or -1
// when this copy goes on into the event loop.
int createForms();

// Destroys the forms in the reverse order of their creation.
void destroyForms();
