#include <QtCore/qglobal.h>

#include "artwork.h"

// Q_INIT_RESOURCE must be used outside any namespace.
void quorinInitTodayArtwork() {
    Q_INIT_RESOURCE(today_artwork);
}
