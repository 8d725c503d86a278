#pragma once
// Playback's sense of time: the tickers it starts and stops itself, and their periods. The window
// binds each ticker to one of its timers; tests drive them by hand and never wait.

namespace lumora {

class Ticker {
 public:
  virtual ~Ticker() = default;
  // Ticks every ms from now on; a running ticker begins its period again.
  virtual void start(int ms) = 0;
  virtual void stop() = 0;
};

// A ticker nobody drives, for a controller without a window.
class IdleTicker : public Ticker {
 public:
  void start(int) override {}
  void stop() override {}
};

struct PlaybackPeriods {
  int progressMs = 100;
  int autoPlayMs = 1000;
  // How long before the end of a song the next one is asked for and opened.
  int prepareAheadMs = 8000;
  // While the server is away: the pause before the first try, doubled for each further try up to
  // the longest.
  int firstRetryMs = 1000;
  int longestRetryMs = 30000;
};

}  // namespace lumora
