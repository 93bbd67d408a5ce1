#include "app/PagePositions.h"

WindowPositions PagePositions(CProfileInfo* profile) {
    WindowPositions positions;
    if (profile == nullptr) return positions;
    positions.get = [profile](int kind, WindowPlace* place) {
        ProfileRect r;
        if (place == nullptr || profile->GetRect(kind, &r) == 0) return false;
        *place = WindowPlace{r.left, r.top, r.right, r.bottom};
        return true;
    };
    positions.set = [profile](int kind, const WindowPlace& place) {
        profile->SetRect(kind, ProfileRect{place.left, place.top, place.right, place.bottom});
    };
    return positions;
}
