#pragma once

// What a network server's events reach in the data source: new files may have arrived (the
// server is asked which). Called on the server's event thread.
class NetworkArrivals {
 public:
  virtual ~NetworkArrivals() = default;
  virtual void OnNetworkFilesArrived() = 0;
};
