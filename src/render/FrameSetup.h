// FrameSetup.h -- the projections the game's frames are drawn with, for the
// form and for everything else that draws a game frame (tools, tests,
// benchmarks), so that they all see the same picture.
#pragma once

namespace render {

// The 3D view of a w x h viewport: 45 degrees of vertical field of view,
// near plane 0.001, far plane 10000. The modelview is reset to identity.
void SetPerspective(int width, int height);
// A frame as the form starts it: cleared to black with depth test and back
// faces culled, and the 3D view.
void BeginFrame(int width, int height);
// The 2D overlay of HUD and menu: pixels of a w x h viewport, y downwards,
// depth test off. The 3D projection is kept underneath; EndOverlay puts it
// back and turns depth test on again.
void BeginOverlay(float width, float height);
void EndOverlay();
// The overlay alone, for a picture that has no 3D part.
void SetOverlay(float width, float height);

}  // namespace render
