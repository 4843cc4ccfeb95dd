// The page: a single state, a table (in a Web Worker, with progress and Cancel) and a plot, all
// made by aqsol-table's own rows from the WebAssembly core; the inputs kept in the address.
"use strict";

(function () {
  var RANGE_WORDS = {
    "ice": "the stable phase of water here is ice; the values are those of the metastable fluid",
    "metastable": "the state lies across the saturation curve from the stable phase",
    "beyond-eos": "beyond the region where the water was compared with IAPWS-95 (above 1,000 °C or 10,000 bar, or below −95 °C)",
    "water-deviates": "the water departs from IAPWS-95 here by more than 1 % in density or 5 % in Cp or the derivatives of density",
    "solute-extrapolated": "outside the temperatures over which the solute's Henry constant was compared with a reference",
    "reference-deviates": "ln kH departs from its reference by more than 0.1",
    "unreferenced": "the solute's ln kH was compared with no reference"
  };
  var MOST_ROWS = 1000000;  // the page's own bound: larger tables are aqsol-table's work
  var SHOWN_ROWS = 500;
  var CHUNK = 2048;
  var $ = function (id) { return document.getElementById(id); };
  var core = AqsolCore.load();

  // ---- views and the address ----
  var VIEWS = ["calculator", "table", "plot", "console"];
  function show(view) {
    if (VIEWS.indexOf(view) < 0) view = "calculator";
    VIEWS.forEach(function (v) {
      $(v).classList.toggle("shown", v === view);
      if (v === view) $("to-" + v).setAttribute("aria-current", "page");
      else $("to-" + v).removeAttribute("aria-current");
    });
    if (view === "console") AqsolConsole.show();
    return view;
  }
  var FORMS = { calculator: "calc-form", table: "table-form", plot: "plot-form" };
  function currentView() {
    return VIEWS.filter(function (v) { return $(v).classList.contains("shown"); })[0];
  }
  // The inputs of the view shown, as a query (names as aqsol-table's options).
  function queryOf(view) {
    var params = new URLSearchParams();
    if (view !== "calculator") params.set("view", view);
    if (!FORMS[view]) return params.toString();
    Array.prototype.forEach.call($(FORMS[view]).elements, function (e) {
      if (e.name && e.value !== "") params.set(e.name, e.value);
    });
    return params.toString();
  }
  function remember(view) {
    history.replaceState(null, "", "?" + queryOf(view) + "#" + view);
    $("share").href = location.href;
  }
  function restore(params, view) {
    if (!FORMS[view]) return;
    Array.prototype.forEach.call($(FORMS[view]).elements, function (e) {
      if (!e.name || !params.has(e.name)) return;
      if (e.tagName === "SELECT") {
        var wanted = params.get(e.name).toLowerCase();
        Array.prototype.forEach.call(e.options, function (o) {
          if (o.value.toLowerCase() === wanted) e.value = o.value;
        });
      } else {
        e.value = params.get(e.name);
      }
    });
  }

  // ---- aqsol-table's options from the inputs ----
  function unitOptions(form) {
    var args = [];
    var get = function (name) { var e = form.elements[name]; return e ? e.value : ""; };
    if (get("units") && get("units") !== "cal") args.push("--units", get("units"));
    if (get("pressure_unit") && get("pressure_unit") !== "bar") args.push("--pressure-unit", get("pressure_unit"));
    if (get("temperature_unit") && get("temperature_unit") !== "C") args.push("--temperature-unit", get("temperature_unit"));
    return args;
  }
  function stateOptions(solute, T, P) {
    var args = [];
    if (solute.trim() !== "") args.push("--solute", solute.trim());
    return args.concat(["--T", T.trim(), "--P", P.trim()]);
  }

  // ---- tables: in a worker where the page may start one, else here between frames ----
  var worker = null, nextId = 1, running = null;
  function startWorker() {
    try { worker = new Worker("worker.js"); } catch (e) { worker = null; return; }
    worker.onmessage = function (event) {
      if (running && event.data.id === running.id) running.handle(event.data);
    };
    worker.onerror = function () { worker = null; };
  }
  // Runs a table of `args` (with `files`, path: text, written first where the options name
  // them); `on` receives start, rows, done and error messages as the worker posts them.
  // Returns a function that cancels it.
  function runTable(args, on, files) {
    var id = nextId++;
    running = { id: id, handle: on };
    if (worker) {
      worker.postMessage({ id: id, args: args, chunk: CHUNK, files: files || {} });
    } else {
      core.then(function (aqsol) {
        Object.keys(files || {}).forEach(function (path) { aqsol.writeFile(path, files[path]); });
        runHere(aqsol, id, args, on);
      });
    }
    return function cancel() {
      running = null;
      if (worker) { worker.terminate(); startWorker(); }
    };
  }
  function runHere(aqsol, id, args, on) {
    var table;
    try { table = aqsol.table(args); } catch (e) { on({ type: "error", message: e.message }); return; }
    var rows = table.rows();
    on({ type: "start", rows: rows, header: table.header(), columns: table.columns(),
      shape: table.shape(), note: table.note() });
    var first = 0;
    (function step() {
      if (!running || running.id !== id) { table.close(); return; }
      if (first >= rows) { table.close(); on({ type: "done", rows: rows }); return; }
      var text = table.text(first, CHUNK);
      on({ type: "rows", first: first, count: Math.min(CHUNK, rows - first), text: text });
      first += CHUNK;
      setTimeout(step, 0);
    })();
  }

  // ---- CSV and JSON lines ----
  function csvFields(line) {
    var fields = [], field = "", quoted = false;
    for (var i = 0; i < line.length; ++i) {
      var c = line[i];
      if (quoted) {
        if (c === '"' && line[i + 1] === '"') { field += '"'; ++i; } else if (c === '"') quoted = false; else field += c;
      } else if (c === '"') quoted = true;
      else if (c === ",") { fields.push(field); field = ""; } else field += c;
    }
    fields.push(field);
    return fields;
  }
  function download(name, type, text) {
    var link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([text], { type: type }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    setTimeout(function () { URL.revokeObjectURL(link.href); link.remove(); }, 1000);
  }
  function element(tag, text, className) {
    var e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (className) e.className = className;
    return e;
  }
  function failure(message) {
    return element("p", "aqsol-table: " + message, "error");
  }

  // ---- one state ----
  function calculate() {
    var form = $("calc-form");
    var args = stateOptions($("calc-solute").value, $("calc-T").value, $("calc-P").value)
      .concat(unitOptions(form));
    remember("calculator");
    var out = $("calc-result");
    return core.then(function (aqsol) {
      out.textContent = "";
      var table;
      try { table = aqsol.table(args); } catch (e) { out.appendChild(failure(e.message)); return; }
      // The row as aqsol-table writes it: its numbers' text is aqsol-table's.
      var columns = table.columns(), note = table.note();
      var names = csvFields(table.header().trim()), fields = csvFields(table.text(0, 1).trim());
      table.close();
      var row = {};
      names.forEach(function (name, i) { row[name] = fields[i]; });
      if (note) out.appendChild(element("p", note, "note"));
      showState(out, columns, row);
    });
  }
  function showState(out, columns, row) {
    var ok = row.status === "ok";
    out.appendChild(element("p", ok ? "Phase of the water: " + row.phase
      : "Not computed: " + row.status, ok ? "" : "error"));
    var grid = element("table");
    var head = grid.insertRow();
    ["column", "value", "unit", "meaning"].forEach(function (h) {
      head.appendChild(element("th", h, h === "meaning" ? "meaning" : ""));
    });
    columns.forEach(function (c) {
      if (["solute", "phase", "range", "status"].indexOf(c.name) >= 0) return;
      var r = grid.insertRow();
      r.appendChild(element("td", c.name));
      r.appendChild(element("td", row[c.name], "number"));
      var unit = c.unit === "C" ? "°C" : c.unit;
      r.appendChild(element("td", c.name.indexOf("ln") === 0 ? "ln of the value in " + unit : unit));
      r.appendChild(element("td", c.description, "meaning"));
    });
    out.appendChild(grid);
    if (ok) {
      var words = row.range ? row.range.split(" ") : [];
      out.appendChild(element("p", words.length ? "Where the model was not shown to work:"
        : "Every column here lies where the model was compared with a reference and agreed."));
      if (words.length) {
        var list = element("ul");
        words.forEach(function (w) { list.appendChild(element("li", w + ": " + (RANGE_WORDS[w] || w))); });
        out.appendChild(list);
      }
    }
  }

  // ---- tables ----
  var lastTable = null, cancelTable = null;
  function tableArgs(format) {
    var form = $("table-form"), args;
    var states = $("table-states").value.trim();
    if (states !== "") {
      args = [];
      if ($("table-solute").value.trim() !== "") args.push("--solute", $("table-solute").value.trim());
      args.push("--states", STATES_FILE);
    } else {
      args = stateOptions($("table-solute").value, $("table-T").value, $("table-P").value);
    }
    return args.concat(unitOptions(form), ["--format", format]);
  }
  var STATES_FILE = "/page/states.csv";
  function makeTable(format, then) {
    var states = $("table-states").value.trim();
    var files = {};
    if (states !== "") files[STATES_FILE] = states + "\n";
    remember("table");
    var parts = [], status = $("table-status"), bar = $("table-progress");
    $("table-go").disabled = true;
    $("table-cancel").disabled = false;
    status.textContent = "starting…";
    var finish = function () { $("table-go").disabled = false; $("table-cancel").disabled = true; cancelTable = null; };
    cancelTable = runTable(tableArgs(format), function (m) {
      if (m.type === "error") { status.textContent = ""; $("table-view").textContent = ""; $("table-view").appendChild(failure(m.message)); finish(); return; }
      if (m.type === "start") {
        if (m.rows > MOST_ROWS) { cancelTable(); finish(); status.textContent = ""; $("table-view").textContent = "";
          $("table-view").appendChild(failure("the page makes tables of at most " + MOST_ROWS.toLocaleString("en") + " rows (this one has " + m.rows.toLocaleString("en") + "): aqsol-table makes larger ones")); return; }
        parts = [m.header]; bar.max = Math.max(m.rows, 1); bar.value = 0;
        if (m.note) status.textContent = m.note;
        return;
      }
      if (m.type === "rows") { parts.push(m.text); bar.value = m.first + m.count;
        status.textContent = (m.first + m.count).toLocaleString("en") + " of " + bar.max.toLocaleString("en") + " rows"; return; }
      if (m.type === "done") { finish(); status.textContent = m.rows.toLocaleString("en") + " rows"; then(parts.join("")); }
    }, files);
  }
  function showTable(text) {
    lastTable = text;
    $("table-csv").disabled = false;
    $("table-json").disabled = false;
    var lines = text.split("\n"), view = $("table-view");
    view.textContent = "";
    var grid = element("table");
    var head = grid.insertRow();
    csvFields(lines[0]).forEach(function (h) { head.appendChild(element("th", h)); });
    for (var i = 1; i < Math.min(lines.length, SHOWN_ROWS + 1); ++i) {
      if (lines[i] === "") continue;
      var r = grid.insertRow();
      csvFields(lines[i]).forEach(function (f) { r.appendChild(element("td", f, /^-?[\d.]/.test(f) ? "number" : "")); });
    }
    view.appendChild(grid);
    if (lines.length - 2 > SHOWN_ROWS) view.appendChild(element("p", "The first " + SHOWN_ROWS + " rows of " + (lines.length - 2).toLocaleString("en") + "; the download holds them all.", "hint"));
  }

  // ---- plots ----
  var lastPlot = null;
  function plotArgs() {
    var form = $("plot-form");
    return stateOptions($("plot-solute").value, $("plot-T").value, $("plot-P").value)
      .concat(unitOptions(form), ["--format", "json"]);
  }
  function draw() {
    remember("plot");
    var rows = [], columns = null, shape = null, status = $("plot-status");
    status.textContent = "computing…";
    runTable(plotArgs(), function (m) {
      if (m.type === "error") { status.textContent = "aqsol-table: " + m.message; return; }
      if (m.type === "start") {
        columns = m.columns; shape = m.shape;
        if (m.rows > MOST_ROWS) { status.textContent = "aqsol-table: --plot: at most 1000000 rows can be plotted"; running = null; }
        return;
      }
      if (m.type === "rows") { m.text.split("\n").forEach(function (l) { if (l) rows.push(JSON.parse(l)); }); status.textContent = rows.length + " rows"; return; }
      if (m.type === "done") { plotRows(columns, shape, rows); status.textContent = rows.length + " rows"; }
    });
  }
  // The series of a grid's rows as aqsol-table's plots make them: one per solute and value of
  // the other variable, broken where the water crosses between liquid and vapour.
  function plotRows(columns, shape, rows) {
    var find = function (test) { return columns.filter(test)[0]; };
    var tColumn = find(function (c) { return /^T_/.test(c.name); });
    var pColumn = find(function (c) { return /^P_/.test(c.name); });
    var y = find(function (c) { return c.name === $("plot-y").value; }) || columns[4];
    var alongT = $("plot-x").value === "T", x = alongT ? tColumn : pColumn;
    var nT = shape.temperatures.length, nP = shape.pressures.length;
    var series = [];
    rows.forEach(function (r, i) {
      var solute = Math.floor(i / (nT * nP)), t = Math.floor(i / nP) % nT, p = i % nP;
      var other = alongT ? p : t, key = solute * (alongT ? nP : nT) + other;
      if (!series[key]) {
        var pressure = shape.pressures[p] === "sat" ? "P = sat" : "P = " + shape.pressures[p] + " " + pColumn.unit;
        var label = alongT ? pressure : "T = " + shape.temperatures[t] + " " + (tColumn.unit === "C" ? "°C" : "K");
        series[key] = { label: (r.solute ? r.solute + ", " : "") + label, points: [], last: null };
      }
      var s = series[key], phase = r.phase || null;
      var crosses = !!(phase && s.last && phase !== s.last && phase !== "supercritical" && s.last !== "supercritical");
      if (phase) s.last = phase;
      s.points.push([r[x.name] === null ? NaN : r[x.name], r[y.name] === null ? NaN : r[y.name], crosses]);
    });
    lastPlot = { series: series.filter(Boolean), axes: { x: x.label, y: y.label } };
    AqsolPlot.draw($("plot-canvas"), lastPlot.series, lastPlot.axes);
    $("plot-png").disabled = false;
    $("plot-svg").disabled = false;
  }
  function fillPlotColumns() {
    core.then(function (aqsol) {
      var t = aqsol.table(["--solute", "CO2", "--T", "25", "--P", "1", "--units", $("plot-units").value]);
      var chosen = $("plot-y").value || "lnkH";
      $("plot-y").textContent = "";
      t.columns().forEach(function (c) {
        if (["solute", "phase", "range", "status"].indexOf(c.name) >= 0 || /^[TP]_/.test(c.name)) return;
        var o = element("option", c.name + " — " + c.quantity);
        o.value = c.name;
        $("plot-y").appendChild(o);
      });
      t.close();
      $("plot-y").value = chosen;
    });
  }

  // ---- wiring ----
  function wire() {
    $("calc-form").addEventListener("submit", function (e) { e.preventDefault(); calculate(); });
    $("table-form").addEventListener("submit", function (e) { e.preventDefault(); makeTable("csv", showTable); });
    $("table-cancel").addEventListener("click", function () {
      if (cancelTable) cancelTable();
      $("table-go").disabled = false; $("table-cancel").disabled = true;
      $("table-status").textContent = "cancelled";
    });
    $("table-csv").addEventListener("click", function () { if (lastTable) download("aqsol-table.csv", "text/csv", lastTable); });
    $("table-json").addEventListener("click", function () { makeTable("json", function (text) { download("aqsol-table.jsonl", "application/x-ndjson", text); }); });
    $("plot-form").addEventListener("submit", function (e) { e.preventDefault(); draw(); });
    $("plot-units").addEventListener("change", fillPlotColumns);
    $("plot-png").addEventListener("click", function () {
      $("plot-canvas").toBlob(function (blob) { var l = document.createElement("a"); l.href = URL.createObjectURL(blob); l.download = "aqsol-plot.png"; l.click(); });
    });
    $("plot-svg").addEventListener("click", function () {
      if (lastPlot) download("aqsol-plot.svg", "image/svg+xml", AqsolPlot.svg(lastPlot.series, lastPlot.axes, 800, 480));
    });
    VIEWS.forEach(function (v) {
      $("to-" + v).addEventListener("click", function (e) { e.preventDefault(); show(v); remember(v); });
    });
  }

  function start(aqsol) {
    $("loading").remove();
    $("version").textContent = "aqsol " + aqsol.version + " (WebAssembly)";
    aqsol.solutes.forEach(function (name) {
      var o = element("option", name);
      o.value = name;
      $("calc-solute").appendChild(o);
    });
    $("calc-solute").value = "CO2";
    var params = new URLSearchParams(location.search);
    var view = show(params.get("view") || location.hash.slice(1) || "calculator");
    if (params.toString() !== "") restore(params, view);
    fillPlotColumns();
    if (view === "calculator") calculate();
    else if (params.toString() !== "" && view === "table") makeTable("csv", showTable);
    else if (params.toString() !== "" && view === "plot") setTimeout(draw, 0);
    remember(view);
  }

  startWorker();
  wire();
  core.then(start, function (e) { $("loading").textContent = "The calculator could not load: " + e; });
  window.aqsolPage = { core: core, currentView: currentView };
})();
