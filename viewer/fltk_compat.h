// The few FLTK calls whose names differ between 1.3.8 (what Debian 12 ships) and 1.4.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Input_.H>

// Cursor and mark of a text input (1.4: insert_position(pos, mark)).
inline void tnInputSetCursor(Fl_Input_* input, int position, int mark)
{
    input->position(position, mark);
}

// Nearest-pixel or bilinear scaling for Fl_RGB_Image::copy(w, h).
// 1.3.8 and 1.4 both use RGB_scaling() for copies; 1.4's scaling_algorithm() is for draw-time scaling only.
inline void tnSetImageScalingNearest(bool nearest)
{
    Fl_Image::RGB_scaling(nearest ? FL_RGB_SCALING_NEAREST : FL_RGB_SCALING_BILINEAR);
}
