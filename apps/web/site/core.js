// The aqsol core in WebAssembly (aqsol_core.js) as the page and its worker use it: aqsol-table's
// tables, made from aqsol-table's own options, and the C library's compute() over arrays.
"use strict";

var AqsolCore = (function () {
  var VALUE_FIELDS = ["T_C", "P_bar", "rho", "drho_dP", "drho_dT", "d2rho_dT2", "V_H2O",
    "Cp_H2O", "lnf_H2O", "lnkH", "V2", "Cp2", "Gaq", "S2", "K_aq_gas"];
  var VALUES_SIZE = 128;  // sizeof(aqsol_values): 15 doubles, an int and an unsigned
  var MESSAGE_SIZE = 256;

  function wrap(M) {
    var c = {
      open: M.cwrap("aqsol_web_table_open", "number", ["string"]),
      rows: M.cwrap("aqsol_web_table_rows", "number", ["number"]),
      header: M.cwrap("aqsol_web_table_header", "string", ["number"]),
      text: M.cwrap("aqsol_web_table_text", "string", ["number", "number", "number"]),
      columns: M.cwrap("aqsol_web_table_columns", "string", ["number"]),
      note: M.cwrap("aqsol_web_table_note", "string", ["number"]),
      shape: M.cwrap("aqsol_web_table_shape", "string", ["number"]),
      close: M.cwrap("aqsol_web_table_close", null, ["number"]),
      error: M.cwrap("aqsol_web_error", "string", []),
      unitsOf: M.cwrap("aqsol_units_of", "number", ["string", "string", "number", "number"]),
      compute: M.cwrap("aqsol_species_properties_in_units", "number",
        ["number", "number", "string", "number", "number", "number", "number", "number",
          "number", "number"]),
      soluteName: M.cwrap("aqsol_solute_name", "string", ["number"]),
      soluteCount: M.cwrap("aqsol_solute_count", "number", []),
      version: M.cwrap("aqsol_version", "string", [])
    };

    // A table of aqsol-table's rows: `args` as aqsol-table's command line takes them.
    function Table(args) {
      this.handle = c.open(args.join("\n"));
      if (!this.handle) throw new Error(c.error());
    }
    Table.prototype.rows = function () { return c.rows(this.handle); };
    Table.prototype.header = function () { return c.header(this.handle); };
    Table.prototype.text = function (first, count) { return c.text(this.handle, first, count); };
    Table.prototype.columns = function () { return JSON.parse(c.columns(this.handle)); };
    Table.prototype.note = function () { return c.note(this.handle); };
    Table.prototype.shape = function () { return JSON.parse(c.shape(this.handle)); };
    Table.prototype.close = function () { c.close(this.handle); this.handle = 0; };

    // The C library's states over arrays: solute (a name, "" for water alone), T_C and P (in the
    // pressure unit; 0 the saturation pressure), units "cal" or "si", pressureUnit "bar" or
    // "MPa". Typed arrays out, one entry a state: the values, phase, range, status, message.
    function compute(solute, T, P, units, pressureUnit) {
      var n = T.length;
      if (P.length !== n) throw new Error("T_C and P: " + n + " and " + P.length + " states");
      var scratch = M._malloc(4 + MESSAGE_SIZE);
      var status = c.unitsOf(units || "cal", pressureUnit || "bar", scratch, scratch + 4);
      var bits = M.HEAPU32[scratch >> 2];
      var refusal = M.UTF8ToString(scratch + 4);
      M._free(scratch);
      if (status !== 0) throw new Error(refusal);
      var t = M._malloc(8 * n + 1), p = M._malloc(8 * n + 1);
      var values = M._malloc(VALUES_SIZE * n + 1), statuses = M._malloc(4 * n + 1);
      var messages = M._malloc(MESSAGE_SIZE * Math.max(n, 1));
      try {
        M.HEAPF64.set(Float64Array.from(T), t >> 3);
        M.HEAPF64.set(Float64Array.from(P), p >> 3);
        if (c.compute(0, bits, solute, n, t, p, 1, values, statuses, messages) !== 0)
          throw new Error(M.UTF8ToString(messages));
        var out = { phase: new Int32Array(n), range: new Uint32Array(n),
          status: new Int32Array(n), message: new Array(n) };
        VALUE_FIELDS.forEach(function (name) { out[name] = new Float64Array(n); });
        for (var i = 0; i < n; ++i) {
          var base = (values + VALUES_SIZE * i) >> 3;
          VALUE_FIELDS.forEach(function (name, f) { out[name][i] = M.HEAPF64[base + f]; });
          out.phase[i] = M.HEAP32[(values + VALUES_SIZE * i + 120) >> 2];
          out.range[i] = M.HEAPU32[(values + VALUES_SIZE * i + 124) >> 2];
          out.status[i] = M.HEAP32[(statuses >> 2) + i];
          out.message[i] = M.UTF8ToString(messages + MESSAGE_SIZE * i);
        }
        return out;
      } finally {
        [t, p, values, statuses, messages].forEach(function (a) { M._free(a); });
      }
    }

    var solutes = [];
    for (var i = 0; i < c.soluteCount(); ++i) solutes.push(c.soluteName(i));
    // Writes a file where aqsol-table's options may name it (a pasted --states list).
    function writeFile(path, text) {
      var folder = path.slice(0, path.lastIndexOf("/"));
      if (folder && !M.FS.analyzePath(folder).exists) M.FS.mkdir(folder);
      M.FS.writeFile(path, text);
    }

    return {
      version: c.version(),
      writeFile: writeFile,
      solutes: solutes,
      table: function (args) { return new Table(args); },
      compute: compute
    };
  }

  return {
    // A promise of the core, loaded once.
    load: function () {
      if (!this.loading) this.loading = createAqsolCore().then(wrap);
      return this.loading;
    }
  };
})();

if (typeof module !== "undefined") module.exports = AqsolCore;
