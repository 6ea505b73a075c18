#include "netsetup/connect_cancel.h"

#include "link/ethernet_link.h"

void CancelConnectUntilEnded(const WorkerHandle& connector) {
    while (connector && !connector->Join(std::chrono::milliseconds(50)))
        CancelEthernetConnect();
}
