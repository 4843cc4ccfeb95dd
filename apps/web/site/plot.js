// Line plots of a table's columns, drawn on a canvas or written as SVG from one layout: axes with
// round ticks, one coloured line per series, gaps where a value is missing or where the line
// crosses between liquid and vapour (the properties jump at the saturation curve).
"use strict";

var AqsolPlot = (function () {
  var COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf", "#8c564b",
    "#e377c2"];
  var MARGIN = { left: 78, right: 16, top: 30, bottom: 52 };

  // Round tick values covering [low, high], about `count` of them.
  function ticks(low, high, count) {
    if (!(high > low)) { high = low + 1; low -= 1; }
    var step = Math.pow(10, Math.floor(Math.log10((high - low) / count)));
    var err = (high - low) / count / step;
    step *= err >= 7.5 ? 10 : err >= 3.5 ? 5 : err >= 1.5 ? 2 : 1;
    var values = [];
    for (var v = Math.ceil(low / step) * step; v <= high + step * 1e-9; v += step)
      values.push(Math.abs(v) < step * 1e-9 ? 0 : v);
    return values;
  }

  function label(v) {
    var text = Math.abs(v) >= 1e5 || (v !== 0 && Math.abs(v) < 1e-3) ? v.toExponential(2)
      : String(+v.toPrecision(6));
    return text.replace("-", "\u2212");
  }

  // The layout of `series` ([{label, points: [[x, y, breakBefore], ...]}]) in width x height.
  function layout(series, width, height) {
    var xs = [], ys = [];
    series.forEach(function (s) {
      s.points.forEach(function (p) {
        if (isFinite(p[0]) && isFinite(p[1])) { xs.push(p[0]); ys.push(p[1]); }
      });
    });
    var xMin = Math.min.apply(null, xs), xMax = Math.max.apply(null, xs);
    var yMin = Math.min.apply(null, ys), yMax = Math.max.apply(null, ys);
    if (xs.length === 0) { xMin = 0; xMax = 1; yMin = 0; yMax = 1; }
    var pad = (yMax - yMin) * 0.04 || Math.abs(yMax) * 0.04 || 1;
    yMin -= pad; yMax += pad;
    var plotW = width - MARGIN.left - MARGIN.right, plotH = height - MARGIN.top - MARGIN.bottom;
    return {
      width: width, height: height, empty: xs.length === 0,
      xTicks: ticks(xMin, xMax, Math.max(2, Math.floor(plotW / 90))),
      yTicks: ticks(yMin, yMax, Math.max(2, Math.floor(plotH / 50))),
      x: function (v) { return MARGIN.left + (xMax === xMin ? 0.5 : (v - xMin) / (xMax - xMin)) * plotW; },
      y: function (v) { return MARGIN.top + (1 - (v - yMin) / (yMax - yMin)) * plotH; },
      xMin: xMin, xMax: xMax, yMin: yMin, yMax: yMax
    };
  }

  // The runs of connected points of a series, in pixels.
  function runs(s, box) {
    var out = [], run = [];
    s.points.forEach(function (p) {
      var ok = isFinite(p[0]) && isFinite(p[1]);
      if (!ok || p[2]) { if (run.length) out.push(run); run = []; }
      if (ok) run.push([box.x(p[0]), box.y(p[1])]);
    });
    if (run.length) out.push(run);
    return out;
  }

  // The plot as a list of drawing operations, which the canvas and the SVG both follow.
  function operations(series, axes, width, height) {
    var box = layout(series, width, height), ops = [];
    var left = MARGIN.left, right = width - MARGIN.right;
    var top = MARGIN.top, bottom = height - MARGIN.bottom;
    ops.push({ rect: [left, top, right - left, bottom - top], stroke: "#444" });
    box.xTicks.forEach(function (v) {
      if (v < box.xMin || v > box.xMax) return;
      ops.push({ line: [[box.x(v), top], [box.x(v), bottom]], stroke: "#e5e5e5" });
      ops.push({ text: label(v), at: [box.x(v), bottom + 18], align: "middle" });
    });
    box.yTicks.forEach(function (v) {
      if (v < box.yMin || v > box.yMax) return;
      ops.push({ line: [[left, box.y(v)], [right, box.y(v)]], stroke: "#e5e5e5" });
      ops.push({ text: label(v), at: [left - 6, box.y(v) + 4], align: "end" });
    });
    ops.push({ text: axes.x, at: [(left + right) / 2, height - 12], align: "middle" });
    ops.push({ text: axes.y, at: [16, (top + bottom) / 2], align: "middle", rotate: true });
    series.forEach(function (s, n) {
      var colour = COLOURS[n % COLOURS.length];
      runs(s, box).forEach(function (run) {
        ops.push({ line: run, stroke: colour, width: 2, dots: run.length === 1 });
      });
      ops.push({ text: s.label, at: [left + 10 + (n % 4) * 150, 18 + 0 * n], align: "start",
        fill: colour, legend: n });
    });
    if (box.empty) ops.push({ text: "no value to plot", at: [(left + right) / 2, (top + bottom) / 2],
      align: "middle" });
    // The legend's entries in rows of four.
    ops.forEach(function (op) {
      if (op.legend === undefined) return;
      op.at = [left + 10 + (op.legend % 4) * ((right - left) / 4), 12 + 14 * Math.floor(op.legend / 4)];
    });
    return ops;
  }

  function draw(canvas, series, axes) {
    var ratio = window.devicePixelRatio || 1;
    var width = canvas.clientWidth || 640, height = canvas.clientHeight || 400;
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    var g = canvas.getContext("2d");
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.fillStyle = "#fff";
    g.fillRect(0, 0, width, height);
    g.font = "12px sans-serif";
    operations(series, axes, width, height).forEach(function (op) {
      if (op.rect) { g.strokeStyle = op.stroke; g.lineWidth = 1; g.strokeRect.apply(g, op.rect); }
      if (op.line) {
        g.strokeStyle = op.stroke; g.lineWidth = op.width || 1;
        g.beginPath();
        op.line.forEach(function (p, i) { if (i) g.lineTo(p[0], p[1]); else g.moveTo(p[0], p[1]); });
        g.stroke();
        if (op.dots) op.line.forEach(function (p) { g.fillStyle = op.stroke; g.fillRect(p[0] - 2, p[1] - 2, 4, 4); });
      }
      if (op.text !== undefined) {
        g.save();
        g.fillStyle = op.fill || "#222";
        g.textAlign = op.align === "middle" ? "center" : op.align === "end" ? "right" : "left";
        g.translate(op.at[0], op.at[1]);
        if (op.rotate) g.rotate(-Math.PI / 2);
        g.fillText(op.text, 0, 0);
        g.restore();
      }
    });
  }

  function escape(text) {
    return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
  }

  function svg(series, axes, width, height) {
    var out = ['<svg xmlns="http://www.w3.org/2000/svg" width="' + width + '" height="' + height +
      '" viewBox="0 0 ' + width + " " + height + '" font-family="sans-serif" font-size="12">',
    '<rect width="100%" height="100%" fill="#fff"/>'];
    operations(series, axes, width, height).forEach(function (op) {
      if (op.rect) out.push('<rect x="' + op.rect[0] + '" y="' + op.rect[1] + '" width="' +
        op.rect[2] + '" height="' + op.rect[3] + '" fill="none" stroke="' + op.stroke + '"/>');
      if (op.line) out.push('<polyline fill="none" stroke="' + op.stroke + '" stroke-width="' +
        (op.width || 1) + '" points="' + op.line.map(function (p) {
        return p[0].toFixed(2) + "," + p[1].toFixed(2);
      }).join(" ") + '"/>');
      if (op.text !== undefined) out.push('<text x="' + op.at[0] + '" y="' + op.at[1] +
        '" text-anchor="' + op.align + '" fill="' + (op.fill || "#222") + '"' +
        (op.rotate ? ' transform="rotate(-90 ' + op.at[0] + " " + op.at[1] + ')"' : "") + ">" +
        escape(op.text) + "</text>");
    });
    out.push("</svg>");
    return out.join("\n");
  }

  return { draw: draw, svg: svg };
})();
