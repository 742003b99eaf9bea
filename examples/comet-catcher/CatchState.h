// CatchState: the whole of Comet Catcher. Comets fall down one of five lanes; the player moves
// the basket one lane a press (Left/Right or A/D) and catches them for a point each. A comet that
// reaches the ground costs one of three lives; with none left no comet falls until the page's
// Restart button calls "restart". The basket always moves, so that a key the game should not
// have seen always shows.
//
// The HUD page gets one "hud" event whenever something it shows changes: score, lives, lane, the
// player's name (typed into the page's field, sent here with "name" and echoed back) and whether
// the page's field holds the keys (then the game does not see them).
//
// Threads: main thread only; the page's messages arrive during the frame (Browser::Update).
#pragma once

#include <corvane/core/GameState.h>

#include <cstdint>
#include <string>

class CatchState : public CorvaneEngine::GameState {
 public:
  static constexpr int kLanes = 5;
  static constexpr int kLives = 3;

  // Creates the basket and the comet and takes the page's messages.
  void Initialize() override;
  void Update(double seconds) override;
  // Lets go of the page's messages: their handlers point at this state.
  void Shutdown() override;

 private:
  void Restart();
  void MoveBasket();
  void DropComet(double seconds);
  void NextComet();
  void PlaceObjects();
  void SendHud();

  int32_t basketId = -1, cometId = -1;
  int lane = kLanes / 2, cometLane = kLanes / 2, score = 0, lives = kLives;
  float cometHeight = 0.0f;
  uint32_t sequence = 0;          // the comets' lanes: the same pseudo-random order every round
  std::string nameJson = "\"\"";  // the name from the page, a JSON string
  std::string sentHud;            // the last "hud" event, so that only changes are sent
};
