// The lens surface the page-opening benchmark builds its lens page from.
#pragma once

namespace pagebench {

extern const char* const kLensBenchSurface;

}  // namespace pagebench
