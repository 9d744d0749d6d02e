#pragma once

#include "CommandLine.h"

// Creates every form of the program in its order, each hidden, and returns the
// exit code to use at once when another copy is already running (0), or -1
// when this copy goes on into the event loop. An action `command` is passed
// on to the running copy, or run by this copy once its event loop runs.
int createForms(Command command = Command::Run);

// Destroys the forms in the reverse order of their creation.
void destroyForms();
