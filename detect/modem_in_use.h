// What the country operations need of the detection run: the port of the
// modem in use. The one header through which country/ reaches detect/.
#pragma once

// The COM number of the modem in use: 0, which names no port, when the
// detection run found none.
int SelectedModemPort();
