// The page around window.lkmCheck: choose the executable, read the verdict,
// set the screen, see the changes, download the INI or a stock copy.
(function () {
  'use strict';
  const $ = (id) => document.getElementById(id);
  let chosen = null; // the File, or {folder: true, name} for a dropped folder
  let shown = 0; // the latest request whose answer the page shows

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function download(name, parts) {
    const link = element('a');
    link.href = URL.createObjectURL(new Blob(parts, {type: 'application/octet-stream'}));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  function showVerdict(kind, title, lines) {
    $('loader-names').hidden = true;
    const box = $('verdict');
    box.className = 'verdict ' + kind;
    box.replaceChildren(element('h3', '', title), ...lines.map((line) => element('p', '', line)));
    box.hidden = false;
  }

  // "a", "a and b", "a, b and c".
  function listed(words) {
    return words.length < 2 ? words.join('') : words.slice(0, -1).join(', ') + ' and ' + words[words.length - 1];
  }

  // Which names the player's ASI loader can take: the DLLs the executable itself
  // loads, of those that loaders are named after; the game may load more later.
  function showLoaderNames(report) {
    const box = $('loader-names');
    if (report.loaderNames === undefined) return;
    const files = report.loaderNames.map((name) => name + '.dll');
    const later = 'The game may load other DLLs later, which this check cannot see.';
    if (files.length === 1)
      box.textContent = 'Your ASI loader: this executable loads ' + files[0] + ', so name your loader ' + files[0] +
        ' and the game loads it when it starts. ' + later;
    else if (files.length)
      box.textContent = 'Your ASI loader: this executable loads ' + listed(files) + '; name your loader after one ' +
        'of them and the game loads it when it starts. ' + later;
    else
      box.textContent = 'Your ASI loader: this executable loads none of the DLLs that ASI loaders are named ' +
        'after. The game may still load one of them later, which this check cannot see; "What you need" in the ' +
        'plug-in\'s readme says what to try.';
    box.hidden = false;
  }

  // The verdict in plain words, from lkm-inspect's JSON report or refusal.
  function verdict(report) {
    $('stock-offer').hidden = true;
    if (report.error !== undefined) {
      showVerdict('fails', 'This is not a game executable the plug-in can read.', [
        'The check says: ' + report.error + '.',
        'Choose Larkmere.exe itself, from the folder the game is installed in.',
      ]);
    } else if (!report.supported) {
      showVerdict('fails', 'Does not work: the plug-in does not recognise this executable.', [
        'At the start of the game the plug-in would stop with: "' + report.failure + '" It then changes nothing.',
        'The plug-in knows the game\'s released executable. If this copy was changed by another fix or trainer, ' +
          'restore the executable from the original installation and check again.',
      ]);
    } else if (report.earlierPatch) {
      showVerdict('patched', 'Works, but this executable carries an earlier patch.', [
        'An earlier widescreen patch changed ' + report.normalization.length + ' places in this file. The plug-in ' +
          'puts them back in memory at every start and then applies its own changes.',
        report.cameraAspectChanged
          ? 'The view, though, keeps the height that the earlier patch chose: with BaseFOV 0 you see less from top ' +
            'to bottom than with the released executable. A BaseFOV (90 is the standard view) or the stock copy ' +
            'below gives the standard view.'
          : 'The earlier patch left the camera as released, so you get the standard view.',
        'For a clean setup, replace the file with the stock copy below: then the game also runs as released ' +
          'without the plug-in, and the plug-in\'s log has no notice about the old patch.',
      ]);
      $('stock-offer').hidden = false;
    } else {
      showVerdict('works', 'Works: the plug-in recognises this executable.', [
        'It found the camera, the menu and HUD scaling and the four screen settings it needs.',
      ]);
    }
    showLoaderNames(report);
  }

  function hex(value) {
    return value === null || value === undefined ? '' : '0x' + value.toString(16).toUpperCase().padStart(8, '0');
  }

  function showChanges(report, resolution) {
    const table = $('changes');
    const body = table.querySelector('tbody');
    body.replaceChildren();
    if (!report || report.error !== undefined || !report.supported || !report.plan) {
      table.hidden = true;
      if (report && report.error !== undefined && chosen) $('changes-note').textContent = report.error + '.';
      return;
    }
    for (const change of report.patches.concat(report.redirections)) {
      const row = element('tr');
      row.append(element('td', '', hex(change.address)), element('td', '', change.section),
        element('td', '', hex(change.fileOffset)), element('td', 'bytes', change.before),
        element('td', 'bytes', change.after), element('td', '', change.what));
      body.appendChild(row);
    }
    $('changes-note').textContent = 'At ' + resolution + ' the plug-in changes these ' +
      report.patches.length + ' runs of bytes in the running game, and redirects the ' +
      report.redirections.length + ' setters of the screen settings. It never writes the file.';
    table.hidden = false;
  }

  // The form's inputs, each named by the INI key it sets.
  const keyInputs = () => Array.from($('settings').querySelectorAll('input[data-key]'));

  // The INI's values as the form holds them, by key name.
  function settings() {
    const values = {};
    for (const input of keyInputs())
      values[input.dataset.key] = input.type === 'checkbox' ? input.checked : input.value;
    return values;
  }

  // Each input takes its limits from the plug-in's own table, and its label names its key.
  async function describeKeys() {
    const keys = new Map((await lkmCheck.iniKeys()).map((key) => [key.name, key]));
    for (const input of keyInputs()) {
      const key = keys.get(input.dataset.key);
      const code = input.closest('label').querySelector('code');
      if (code) code.textContent = input.dataset.key;
      if (key && input.type === 'number') {
        input.min = Math.min(0, key.lowest);
        input.max = key.highest;
      }
    }
  }

  async function refresh() {
    const request = ++shown;
    const values = settings();
    const ini = await lkmCheck.iniFor(values);
    if (request !== shown) return;
    $('ini-error').hidden = ini.error === undefined;
    $('ini-error').textContent = ini.error === undefined ? '' : 'The plug-in would refuse this INI: ' + ini.error;
    $('download-ini').disabled = ini.error !== undefined;
    if (!chosen) return;
    const width = $('res-x').value, height = $('res-y').value;
    const automatic = Number(width) === 0 && Number(height) === 0;
    if (automatic || ini.error !== undefined) {
      showChanges(null);
      $('changes-note').textContent = automatic ? 'With 0 and 0 the plug-in takes the desktop\'s size; enter ' +
        'a size to see the changes for it.' : 'Correct the settings to see the changes.';
      return;
    }
    const resolution = width + 'x' + height;
    const report = await lkmCheck.inspect(chosen, {resolution, keepUi: $('keep-ui').checked});
    if (request === shown) showChanges(report, resolution);
  }

  async function choose(input) {
    chosen = input;
    const request = ++shown;
    showVerdict('busy', 'Checking ' + input.name + ' ...', []);
    showChanges(null);
    const report = await lkmCheck.inspect(input);
    if (request !== shown) return;
    verdict(report);
    refresh();
  }

  function whenFailed(promise) {
    promise.catch((error) => showVerdict('fails', 'The check stopped.', [String(error.message || error)]));
  }

  $('exe').addEventListener('change', () => {
    if ($('exe').files.length) whenFailed(choose($('exe').files[0]));
  });
  const drop = $('drop');
  drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    const item = event.dataTransfer.items && event.dataTransfer.items[0];
    const entry = item && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
    if (entry && entry.isDirectory) whenFailed(choose({folder: true, name: entry.name}));
    else if (event.dataTransfer.files.length) whenFailed(choose(event.dataTransfer.files[0]));
  });
  $('settings').addEventListener('input', () => whenFailed(refresh()));
  $('settings').addEventListener('submit', (event) => event.preventDefault());

  $('download-ini').addEventListener('click', async () => {
    const ini = await lkmCheck.iniFor(settings());
    if (ini.text !== undefined) download('Larkmere.WidescreenFix.ini', [ini.text]);
  });
  $('download-stock').addEventListener('click', () => whenFailed((async () => {
    const stock = await lkmCheck.restoreStock(chosen);
    if (stock) download(lkmCheck.stockName(chosen.name), [stock]);
  })()));

  $('res-x').value = Math.round(screen.width * (window.devicePixelRatio || 1));
  $('res-y').value = Math.round(screen.height * (window.devicePixelRatio || 1));
  lkmCheck.ready.then(() => whenFailed(describeKeys().then(refresh)), (error) =>
    showVerdict('fails', 'The check could not start in this browser.', [String(error.message || error)]));
})();
