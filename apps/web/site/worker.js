// The page's long work, off its main thread: a table made a run of rows at a time, each run
// posted back as text with the count done, so that the page shows progress and stays usable.
"use strict";
importScripts("aqsol_core.js", "core.js");

var core = AqsolCore.load();

onmessage = function (event) {
  var request = event.data;
  core.then(function (aqsol) {
    var table;
    try {
      Object.keys(request.files || {}).forEach(function (path) {
        aqsol.writeFile(path, request.files[path]);
      });
      table = aqsol.table(request.args);
    } catch (error) {
      postMessage({ id: request.id, type: "error", message: error.message });
      return;
    }
    var rows = table.rows();
    postMessage({ id: request.id, type: "start", rows: rows, header: table.header(),
      columns: table.columns(), shape: table.shape(), note: table.note() });
    for (var first = 0; first < rows; first += request.chunk)
      postMessage({ id: request.id, type: "rows", first: first,
        count: Math.min(request.chunk, rows - first), text: table.text(first, request.chunk) });
    table.close();
    postMessage({ id: request.id, type: "done", rows: rows });
  }, function (error) {
    postMessage({ id: request.id, type: "error", message: "the core did not load: " + error });
  });
};
