// Ring codes: the sizes of the rings that contain an atom, one decimal digit per ring.
#pragma once

// Returns the number whose decimal digits are those of code, largest digit first
// (56 -> 65, 363 -> 663, 536 -> 653). A code that is not positive, or whose sorted form
// would not fit an int, is returned unchanged.
int ringCodeSort(int code);
