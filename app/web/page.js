// The page's side of the front-end: the form in the DOM, its input, and
// the canvas. Called from Page.cpp; calls back through the exports there.
var LibraryKestivoPage = {
  $kestivoPage: {
    form: null,
    canvas: null,
    context: null,
    buttons: [],      // by their index in the command table
    frame: 0,         // the animation frame asked for, if any
    pressStamp: 0,    // when the pointer's last press began
    codes: {},        // a number for each key's code, to tell held keys apart
    // An element with these attributes and text, added to parent.
    add: function(parent, tag, attributes, text) {
      var element = document.createElement(tag);
      for (var name in attributes)
        element.setAttribute(name, attributes[name]);
      element.textContent = text || '';
      return parent.appendChild(element);
    },
    // A press of a button, by pointer or key, at the event's time stamp.
    press: function(button, stamp) {
      return Module['_kestivo_press'](button, stamp) !== 0;
    },
    discards: function(stamp) {
      return Module['_kestivo_discards'](stamp) !== 0;
    },
    // The frame clock: animation frames stop by themselves while the page
    // is hidden, and are not asked for while nothing is drawn.
    tick: function(now) {
      kestivoPage.frame = requestAnimationFrame(kestivoPage.tick);
      Module['_kestivo_frame'](now);
    },
    // The scale of the screen the page is on; a move to another, or a zoom,
    // draws the picture again at the new one. Browsers tell of a change by a
    // media query, a resize, or neither until they next render, so the
    // ratio is also looked at after each routine.
    ratio: 0,
    checkScale: function() {
      var ratio = window.devicePixelRatio || 1;
      if (ratio === kestivoPage.ratio)
        return;
      kestivoPage.ratio = ratio;
      Module['_kestivo_rescale'](ratio);
    },
    watchScale: function() {
      kestivoPage.ratio = window.devicePixelRatio || 1;
      var query;
      var changed = function() {
        query.removeEventListener('change', changed);
        kestivoPage.checkScale();
        watch();
      };
      var watch = function() {
        query = window.matchMedia('(resolution: ' + kestivoPage.ratio + 'dppx)');
        query.addEventListener('change', changed);
      };
      watch();
      window.addEventListener('resize', kestivoPage.checkScale);
    },
    // A key for the form: the session says what comes of it. (WebKit gives
    // Shift+Tab the key "Unidentified": its code says Tab.)
    onKey: function(event) {
      var page = kestivoPage;
      var is = function(key, code) { return event.key === key || event.code === code; };
      var key = is('Tab', 'Tab') ? 0 : is(' ', 'Space') ? 1
              : is('Enter', 'Enter') || event.code === 'NumpadEnter' ? 2 : 3;
      var code = page.codes[event.code] || (page.codes[event.code] = Object.keys(page.codes).length + 1);
      var action = Module['_kestivo_key'](key, code, event.type === 'keydown', event.repeat, event.shiftKey,
                                          event.ctrlKey || event.altKey || event.metaKey, event.timeStamp,
                                          page.buttons.indexOf(document.activeElement));
      var index = (action >> 3) - 1, button = page.buttons[index];
      // KeyAction's: Pass, Swallow, HoldBack, Focus, Press, Release, Click.
      switch (action & 7) {
      case 0: return;
      case 3: button.focus(); break;
      case 4: button.classList.add('pushed'); break;
      case 5: button.classList.remove('pushed'); break;
      case 6: button.classList.remove('pushed'); page.press(index, event.timeStamp); break;
      }
      event.preventDefault();
      event.stopPropagation();
    },
  },

  kestivo_js_form: function(caption, pictureName, width, height) {
    var page = kestivoPage;
    var title = document.title = UTF8ToString(caption);
    var root = document.getElementById('kestivo');
    root.textContent = '';
    var window_ = page.add(root, 'div', {'class': 'window'});
    page.add(window_, 'div', {'class': 'caption', id: 'caption'}, title);
    var form = page.form = page.add(window_, 'div', {
      id: 'Form1', 'class': 'form', role: 'group', 'aria-labelledby': 'caption', 'aria-busy': 'false',
      style: 'width: ' + width + 'px; height: ' + height + 'px'});
    page.canvas = page.add(form, 'canvas', {id: 'picture', role: 'img', 'aria-label': UTF8ToString(pictureName),
                                            'aria-describedby': 'picture-description'});
    page.add(form, 'span', {id: 'picture-description', 'class': 'hidden'});
    // Desynchronized: a frame that changes only the picture goes to the
    // screen without a commit of the whole page's layers.
    page.context = page.canvas.getContext('2d', {alpha: false, desynchronized: true});
    form.addEventListener('keydown', page.onKey, true);
    form.addEventListener('keyup', page.onKey, true);
    window.addEventListener('blur', function() {
      Module['_kestivo_keyboard_lost']();
      page.buttons.forEach(function(b) { b.classList.remove('pushed'); });
    });
    // A pointer given while drawing neither presses nor moves the focus,
    // nor shows its button down. A click is judged by when its press began:
    // one begun before a routine's end never clicks, however late released.
    ['pointerdown', 'mousedown', 'contextmenu', 'click', 'auxclick', 'dblclick'].forEach(function(type) {
      form.addEventListener(type, function(event) {
        if (type === 'pointerdown')
          page.pressStamp = event.timeStamp;
        var discarded = page.discards(/click$/.test(type) ? page.pressStamp : event.timeStamp);
        if (/down$/.test(type))
          form.classList.toggle('discarding', discarded);
        if (discarded) {
          event.preventDefault();
          event.stopPropagation();
        }
      }, true);
    });
  },

  // kind: 0 button, 1 label, 2 shape; button: its index in the command table.
  kestivo_js_control: function(kind, name, text, left, top, width, height, rgb, points, help, button) {
    var page = kestivoPage;
    var id = UTF8ToString(name);
    var colour = '#' + ('00000' + rgb.toString(16)).slice(-6);
    var style = 'left: ' + left + 'px; top: ' + top + 'px; width: ' + width + 'px; height: ' + height +
                'px; font-size: ' + points + 'pt; ';
    if (kind === 1)
      return page.add(page.form, 'div', {id: id, 'class': 'label', style: style + 'color: ' + colour},
                      UTF8ToString(text));
    if (kind === 2)
      return page.add(page.form, 'div', {id: id, 'class': 'shape', style: style + 'border-color: ' + colour,
                                         'aria-hidden': 'true'});
    page.add(page.form, 'span', {id: id + '-help', 'class': 'hidden'}, UTF8ToString(help));
    page.buttons[button] = page.add(page.form, 'button', {id: id, type: 'button', style: style,
                                                          'aria-describedby': id + '-help'}, UTF8ToString(text));
    page.buttons[button].addEventListener('click', function(event) {
      // Keys press through onKey; this is a pointer's click.
      if (event.detail > 0 || event.pointerType)
        page.press(button, event.timeStamp);
    });
  },

  kestivo_js_ready: function() {
    kestivoPage.form.querySelector('button').focus({focusVisible: true}); // the first in tab order
    kestivoPage.watchScale();
  },

  kestivo_js_canvas: function(width, height, scale) {
    var canvas = kestivoPage.canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.style.width = (width / scale) + 'px';
    canvas.style.height = (height / scale) + 'px';
    // The frame's line is one device pixel at any scale.
    kestivoPage.form.style.setProperty('--device-pixel', (1 / scale) + 'px');
  },

  kestivo_js_blit: function(rgba, width, height, rects, count) {
    var image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
    var context = kestivoPage.context;
    for (var i = 0; i < count; ++i) {
      var r = (rects >> 2) + 4 * i;
      context.putImageData(image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
    }
  },

  kestivo_js_busy: function(busy) {
    var page = kestivoPage;
    page.form.setAttribute('aria-busy', busy ? 'true' : 'false');
    page.form.classList.toggle('busy', !!busy);
    // Not disabled: a disabled button would drop the focus.
    page.buttons.forEach(function(b) { b.setAttribute('aria-disabled', busy ? 'true' : 'false'); });
    if (!busy)
      setTimeout(page.checkScale, 0);
  },

  kestivo_js_describe: function(text) {
    document.getElementById('picture-description').textContent = UTF8ToString(text);
  },

  kestivo_js_frames: function(on) {
    var page = kestivoPage;
    if (!on) {
      cancelAnimationFrame(page.frame);
      page.frame = 0;
    } else if (!page.frame) {
      page.frame = requestAnimationFrame(page.tick);
    }
  },

  kestivo_js_error: function(title, message) {
    var dialog = document.getElementById('error');
    document.getElementById('error-title').textContent = UTF8ToString(title);
    document.getElementById('error-message').textContent = UTF8ToString(message);
    dialog.addEventListener('close', function() { Module['_kestivo_error_dismissed'](); }, {once: true});
    dialog.showModal();
  },

  kestivo_js_ended: function(status) {
    document.getElementById('kestivo').textContent = '';
    var line = document.getElementById('ended');
    line.hidden = false;
    line.dataset.status = status;
    document.getElementById('restart').focus();
  },
};
autoAddDeps(LibraryKestivoPage, '$kestivoPage');
mergeInto(LibraryManager.library, LibraryKestivoPage);
