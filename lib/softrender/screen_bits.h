// What the image type asks of the display back end.
#pragma once

// The screen's colour depth in bits, 16 while none has been recorded.
int GetScreenColorBits();
