#include <QtCore/qglobal.h>

#include "artwork.h"

// Q_INIT_RESOURCE must be used outside any namespace.
void quorinInitArtwork() {
    Q_INIT_RESOURCE(artwork);
}
