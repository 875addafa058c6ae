// The resource number of each program's icon, shared by its resource script and the window
// class; the first icon in the file is also the one Explorer shows.
#pragma once

#define PROGRAMICON 1
