// Start-up: the program's state, its front end and its window openers, the main window.
#pragma once

// Makes the program's state (`app`) and fixes where its configuration lives, from the
// environment: with no login name the program says so and exits with status 1.
void tnSetUpState();

// Start-up steps 1-15 (everything main() does before it enters the message loop); `app`
// and the configuration paths must be set.
void tnStartUp(int argc, char** argv);
