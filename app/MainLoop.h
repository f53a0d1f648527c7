// The main loop: one frame of the demo per pass, until Escape, the quit
// message or the demo's finished flag ends it.
#pragma once

class GLWindow;
class Demo;

// Runs passes until one ends the loop; returns the number of passes begun.
long runMainLoop(GLWindow& window, Demo& demo);
