// Letter case of names as Windows compares file names.
#pragma once

namespace hostenv {

// The lower-case partner of c in Windows' upper-case table, or c itself: two code points
// are the same letter case aside exactly when they fold alike. Windows folds UTF-16 code
// units, so code points past the BMP fold to themselves.
char32_t foldcase(char32_t c);

}  // namespace hostenv
