// The two sides of the comparison; each draws frames back to back for `seconds` and returns the
// frames per second, or a negative value when it could not run.
#pragma once

namespace FrameBench {

double RunDirect3DFrames(double seconds);
double RunRawGlFrames(double seconds);

}  // namespace FrameBench
