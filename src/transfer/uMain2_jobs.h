// The two batch jobs that the host starts.
#pragma once

namespace bridge {

// Device documents become host import files.
void ReceiveJob();
// Host export files become device tables.
void SendJob();

}  // namespace bridge
