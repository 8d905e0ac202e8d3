// window.lkmCheck: the plug-in's compatibility check and INI rules, run by the
// engine itself in a worker. Every answer is a Promise; nothing leaves the browser.
(function () {
  'use strict';
  const source = '(' + lkmWorkerMain.toString() + ')();';
  const worker = new Worker(URL.createObjectURL(new Blob([source], {type: 'text/javascript'})));
  const pending = new Map();
  let lastId = 0;
  // Bytes in memory reach the worker in a buffer that is lent to it, not cloned,
  // and come back with the answer: each request copies the caller's bytes once,
  // into memory already in use. The spare is let go after a minute unused.
  let spare = null;
  let spareTimer = 0;

  function lent(input) {
    const buffer = spare && spare.byteLength >= input.length ? spare : new ArrayBuffer(input.length);
    spare = null;
    const bytes = new Uint8Array(buffer, 0, input.length);
    bytes.set(input);
    return bytes;
  }

  function keepSpare(buffer) {
    spare = buffer;
    clearTimeout(spareTimer);
    spareTimer = setTimeout(() => (spare = null), 60000);
  }

  worker.onmessage = (event) => {
    const {id, result, failure, lentBack} = event.data;
    if (lentBack) keepSpare(lentBack);
    const request = pending.get(id);
    pending.delete(id);
    if (failure !== undefined) request.reject(new Error(failure));
    else request.resolve(result);
  };
  worker.onerror = (event) => {
    event.preventDefault();
    for (const request of pending.values()) request.reject(new Error(event.message || 'The engine stopped.'));
    pending.clear();
  };

  function ask(message) {
    return new Promise((resolve, reject) => {
      const id = ++lastId;
      pending.set(id, {resolve, reject});
      const transfer = message.bytes ? [message.bytes.buffer] : [];
      worker.postMessage(Object.assign({id}, message), transfer);
    });
  }

  // What the executable is: bytes in memory, a chosen File, or a dropped folder ({folder: true, name}).
  function executable(input) {
    if (input instanceof Uint8Array) return {bytes: lent(input), name: 'GAME.exe'};
    if (input instanceof File) return {file: input, name: input.name};
    if (input && input.folder) return {folder: true, name: String(input.name)};
    throw new TypeError('lkmCheck takes a Uint8Array, a File or {folder: true, name}');
  }

  // A value as the INI's text holds it: true and false as 1 and 0, an absent one as null.
  function optionText(value) {
    if (value === undefined || value === null) return null;
    if (typeof value === 'boolean') return value ? '1' : '0';
    return String(value);
  }

  // "Larkmere.exe" -> "Larkmere-stock.exe".
  function stockName(name) {
    const dot = name.lastIndexOf('.');
    return dot > 0 ? name.slice(0, dot) + '-stock' + name.slice(dot) : name + '-stock';
  }

  // The INI's keys in the plug-in's reading order, from the engine's own table (asked once).
  let keys = null;
  const iniKeys = () => (keys = keys || ask({op: 'iniKeys'}));

  window.lkmCheck = {
    ready: ask({op: 'ready'}).then(() => true),

    // The object `lkm-inspect FILE [--resolution WxH [--keep-ui 0|1]] --json` prints;
    // a refusal is that object too. options.name names bytes given as a Uint8Array.
    inspect(input, options = {}) {
      const target = executable(input);
      return ask(Object.assign(target, {
        op: 'inspect',
        name: options.name || target.name,
        resolution: optionText(options.resolution),
        keepUi: optionText(options.keepUi),
      }));
    },

    // The stock copy that `lkm-inspect FILE --restore-stock OUT` writes, or null for a
    // stock input; an Error with the inspector's sentence where it refuses.
    async restoreStock(input, options = {}) {
      const target = executable(input);
      const name = options.name || target.name;
      const {report, stock} = await ask(Object.assign(target, {op: 'restore', name, output: stockName(name)}));
      if (report.error !== undefined) throw new Error(report.error);
      if (!report.supported) throw new Error(report.failure);
      return stock;
    },

    // [{name, default, lowest, highest}] for each INI key, in the plug-in's reading order.
    iniKeys,

    // {text} for the INI with these values (by key name), or {error} with the plug-in's sentence.
    async iniFor(values = {}) {
      return ask({op: 'iniFor', texts: (await iniKeys()).map((key) => optionText(values[key.name]))});
    },

    stockName,
  };
})();
