// The calculator's console in the page: the dialogue of the desktop program (aqsol_console.js,
// loaded when the view is first shown), drawn by the window's own renderer into a canvas about
// 30 times a second, with keys from the page as the window takes them.
"use strict";

var AqsolConsole = (function () {
  var EXTENDED = { ArrowUp: 72, ArrowDown: 80, ArrowLeft: 75, ArrowRight: 77, Home: 71, End: 79,
    PageUp: 73, PageDown: 81, Insert: 82, Delete: 83, F1: 59, F2: 60, F3: 61, F4: 62, F5: 63,
    F6: 64, F7: 65, F8: 66, F9: 67, F10: 68 };
  var CONTROL = { Enter: 13, Backspace: 8, Tab: 9, Escape: 27 };
  var module = null, started = false, image = null;

  // A key of the page as the calculator's key buffer takes it: [character, scan], or null.
  function keyOf(event) {
    if (event.key in CONTROL) return [CONTROL[event.key], 0];
    if (event.key in EXTENDED) return [0, EXTENDED[event.key]];
    if (event.ctrlKey && /^[a-z]$/i.test(event.key)) return [event.key.toUpperCase().charCodeAt(0) - 64, 0];
    if (event.key.length === 1 && event.key.charCodeAt(0) < 127 && !event.altKey && !event.metaKey)
      return [event.key.charCodeAt(0), 0];
    return null;
  }

  function put(character, scan) {
    return module ? module._aqsol_web_console_key(character, scan) === 1 : false;
  }

  function draw() {
    if (!module) return;
    var canvas = document.getElementById("console-screen");
    if (module._aqsol_web_console_draw() === 1) {
      var g = canvas.getContext("2d");
      if (!image) image = g.createImageData(640, 400);
      var pixels = new Uint32Array(module.HEAPU32.buffer, module._aqsol_web_console_pixels(), 640 * 400);
      var out = new Uint32Array(image.data.buffer);
      for (var i = 0; i < out.length; ++i) {  // 0x00RRGGBB into the canvas's R, G, B, A bytes
        var p = pixels[i];
        out[i] = 0xFF000000 | (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
      }
      g.putImageData(image, 0, 0);
      document.getElementById("console-text").textContent = rows().join("\n");
    }
  }

  function rows() {
    var out = [];
    for (var r = 1; r <= 25; ++r) out.push(module.UTF8ToString(module._aqsol_web_console_row(r)));
    return out;
  }

  function start() {
    if (started) return;
    started = true;
    createAqsolConsole({
      onRuntimeError: function (text) { console.warn("aqsol: " + text); }
    }).then(function (m) {
      module = m;
      m.audioContext = document.getElementById("console-sound").getAttribute("aria-pressed") === "true"
        ? window.aqsolAudio : null;
      m.ccall("aqsol_web_console_run", null, ["number"], [0], { async: true });
      setInterval(draw, 33);  // the window's pace: its frame loop draws every 32 ms at rest
    });
    var canvas = document.getElementById("console-screen");
    canvas.addEventListener("keydown", function (event) {
      var key = keyOf(event);
      if (!key) return;
      event.preventDefault();
      put(key[0], key[1]);
    });
    document.getElementById("console-sound").addEventListener("click", function () {
      var on = this.getAttribute("aria-pressed") !== "true";
      if (on && !window.aqsolAudio) window.aqsolAudio = new AudioContext();
      if (module) module.audioContext = on ? window.aqsolAudio : null;
      if (window.aqsolAudio) (on ? window.aqsolAudio.resume() : window.aqsolAudio.suspend());
      this.setAttribute("aria-pressed", on ? "true" : "false");
      this.textContent = on ? "Sound off" : "Sound on";
    });
  }

  return {
    show: function () { start(); document.getElementById("console-screen").focus(); },
    // For tests and tools: the screen's rows as text, and whether the dialogue waits for a key.
    rows: function () { return module ? rows() : null; },
    waiting: function () { return module ? module._aqsol_web_console_waiting() === 1 : false; },
    put: put
  };
})();
